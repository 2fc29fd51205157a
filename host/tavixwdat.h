// Variable handles for the output-table builder: which dictionary a
// BP_VARINDEX or BP_VARIABLE call refers to.
#pragma once

#include "host/tavixwcom.h"

struct HostDictionaryHandles {
  Word working;  // the working data's dictionary
  Word matrix;   // the dictionary of the matrix file being written or read
};

const HostDictionaryHandles& TAVIXWDAT();
