#pragma once

// Hot loops written for the compiler's vectoriser are also built for AVX2;
// the best version is picked when the program loads. Integer results are the
// same in every version.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && \
    !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define AMBRO_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define AMBRO_VECTOR_CLONES
#endif
