if(TARGET varnel_tolvard)
  varnel_fuzz(fuzz_png ${CMAKE_CURRENT_LIST_DIR}/fuzz_png.cpp varnel_tolvard)
endif()
