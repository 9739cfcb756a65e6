varnel_fuzz(fuzz_hwpx ${CMAKE_CURRENT_LIST_DIR}/fuzz_hwpx.cpp varnel_hwpx)
