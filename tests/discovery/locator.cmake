# The installation locator: settings, registry, record files, network forms (registry and brannix.ini
# are shared by the whole Wine prefix, hence the lock).
if(WIN32)
  set(z_discovery_ui zui)
endif()
z_add_gtest(locator_test ${CMAKE_CURRENT_LIST_DIR}/locator_test.cpp LIBS zpackwriter ${z_discovery_ui})
set_tests_properties(locator_test PROPERTIES RESOURCE_LOCK zelvar_installation)
