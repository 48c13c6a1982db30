# The string table, LoadText, ShowMessage (real message boxes under Wine) and the message pump.
if(WIN32)
  z_add_gtest(message_texts_test ${CMAKE_CURRENT_LIST_DIR}/message_texts_test.cpp
              ${CMAKE_CURRENT_LIST_DIR}/message_texts_strings.rc LIBS zui)
else()
  z_add_gtest(message_texts_test ${CMAKE_CURRENT_LIST_DIR}/message_texts_test.cpp)
endif()
