// The matrix data files are still being built. The parser refuses MATRIX=IN
// and MATRIX=OUT before anything runs; these entries keep the run sequence
// whole and say so plainly should they ever be reached.
#include "host/messages.h"
#include "output/matrix_input.h"
#include "output/matrix_output.h"
#include "proc/options.h"

namespace {

void notAvailableYet() {
  options().errorFlag = kTrue;
  host::report("Matrix data files are not available yet in this version.", 1, 3);
}

}  // namespace

void proread_matrix(ProxWorkspace&, Word, Word, Word, Word, Word&, Logical& skipGroup) {
  skipGroup = kTrue;
  notAvailableYet();
}
void proread_label(ProxWorkspace&) { notAvailableYet(); }
void prowrite_dictionary(Word, ProxWorkspace&, ProxWorkspace&) { notAvailableYet(); }
void prowrite_rows(std::span<const double>, std::span<const double>, Word, std::span<const Word>,
                   ProxWorkspace&, ProxWorkspace&) {
  notAvailableYet();
}
