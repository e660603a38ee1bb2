# Flags shared by every target of the project.
# Floating-point results are part of the contract: no contraction into FMA,
# and never -ffast-math.
add_compile_options(-ffp-contract=off -fno-fast-math)

if(ZORV_SANITIZE)
  set(ZORV_SAN_FLAGS -fsanitize=address,undefined,float-cast-overflow
                     -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_compile_options(${ZORV_SAN_FLAGS})
  add_link_options(${ZORV_SAN_FLAGS})
endif()

if(ZORV_TSAN)
  set(ZORV_TSAN_FLAGS -fsanitize=thread -fno-omit-frame-pointer)
  add_compile_options(${ZORV_TSAN_FLAGS})
  add_link_options(${ZORV_TSAN_FLAGS})
endif()

# Warnings for our own targets; third-party headers come in as system includes.
function(zorv_apply_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(ZORV_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
