# Warning flags shared by the library build and the stand-alone tools build.
option(KDLIB_WERROR "Treat warnings as errors" ON)
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  add_compile_options(-Wall -Wextra)
  if(KDLIB_WERROR)
    add_compile_options(-Werror)
  endif()
endif()
