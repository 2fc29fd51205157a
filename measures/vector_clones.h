// The hot loops are also compiled for processors with 256-bit and 512-bit
// vectors and the clone is picked at run time. No clone uses fused
// multiply-add (contraction is off for the whole library) and every lane of
// a vector does the same operations in the same order as the scalar code, so
// every clone rounds exactly as the default one does.
#pragma once

#define PROX_VECTOR_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
