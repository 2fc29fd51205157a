// The hot loops are also compiled for processors with 256-bit and 512-bit
// vectors and the clone is picked at run time. No clone uses fused
// multiply-add (contraction is off for the whole library) and every lane of
// a vector does the same operations in the same order as the scalar code, so
// every clone rounds exactly as the default one does.
//
// The fuzzing build (clang, PROX_FUZZ) compiles one body per function:
// clang 14 makes the clones but no symbol under the function's own name, so
// callers in other files do not link; and the fuzzer needs the coverage and
// sanitizer checks of the code that runs, not its speed.
#pragma once

#ifdef PROX_SINGLE_TARGET
#define PROX_VECTOR_CLONES
#define PROX_POPCOUNT_CLONES
#else
#define PROX_VECTOR_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#define PROX_POPCOUNT_CLONES __attribute__((target_clones("popcnt", "default")))
#endif
