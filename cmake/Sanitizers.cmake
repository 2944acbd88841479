# KESTROLA_SANITIZE: a comma-separated list handed to -fsanitize= for every target.
set(KESTROLA_SANITIZE "" CACHE STRING "Sanitizers for every target (e.g. address,undefined)")
if(KESTROLA_SANITIZE)
    add_compile_options(-fsanitize=${KESTROLA_SANITIZE} -fno-omit-frame-pointer
                        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=${KESTROLA_SANITIZE})
endif()
