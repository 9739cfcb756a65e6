varnel_fuzz(fuzz_json ${CMAKE_CURRENT_LIST_DIR}/fuzz_json.cpp varnel_support)
