varnel_fuzz(fuzz_math ${CMAKE_CURRENT_LIST_DIR}/fuzz_math.cpp varnel_math)
