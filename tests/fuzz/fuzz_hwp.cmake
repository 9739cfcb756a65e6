varnel_fuzz(fuzz_hwp ${CMAKE_CURRENT_LIST_DIR}/fuzz_hwp.cpp varnel_hwp)
