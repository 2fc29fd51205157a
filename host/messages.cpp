#include "host/messages.h"

#include "host/host.h"

namespace host {

void report(std::string_view text, Word messageClass, Word severity) {
  BP_ERROR(BP_CSTRING(text), messageClass, severity);
}

void reportWithToken(std::string_view templ, Word messageClass, Word severity) {
  BP_BEGIN_COMPSTRING(templ);
  BP_ADD_PARAMETER(BP_CSTRING_NO_TRANSLATE(tokenText()));
  BP_ERROR(BP_END_COMPSTRING(), messageClass, severity);
}

}  // namespace host
