# The installation locator: settings, registry, record files, network forms (registry and brannix.ini
# are shared by the whole Wine prefix, hence the lock).
z_add_gtest(locator_test ${CMAKE_CURRENT_LIST_DIR}/locator_test.cpp LIBS zpackwriter)
set_tests_properties(locator_test PROPERTIES RESOURCE_LOCK zelvar_installation)
