# Flags every target of the project shares. Float results are compared bit
# for bit against written rules, so no fused multiply-adds may be formed.
add_compile_options(-Wall -Wextra -ffp-contract=off)

# make test (and so CI) turns every warning into an error; a plain build
# only reports them.
option(EMBOSSA_WARNINGS_AS_ERRORS "Fail the build on any compiler warning" OFF)
if(EMBOSSA_WARNINGS_AS_ERRORS)
  add_compile_options(-Werror)
endif()

# Engine code keeps asserts on in every build we test.
string(REPLACE "-DNDEBUG" "" CMAKE_CXX_FLAGS_RELWITHDEBINFO "${CMAKE_CXX_FLAGS_RELWITHDEBINFO}")
string(REPLACE "-DNDEBUG" "" CMAKE_C_FLAGS_RELWITHDEBINFO "${CMAKE_C_FLAGS_RELWITHDEBINFO}")
