// The --lead option.
#include "output_lead.h"

#include <cstdio>

#include "dialogs/field_rules.h"
#include "piece/system_settings.h"

namespace tuttiro::cli {

bool ParseLead(const char* text, const char* command, int& lead) {
  const std::optional<int32_t> value = ReadNumber(text, 0, kMaxOutputLeadMs);
  if (!value) {
    std::fprintf(stderr, "tuttiro-cli %s: --lead takes a number of milliseconds from 0 to %d\n",
                 command, kMaxOutputLeadMs);
    return false;
  }
  lead = *value;
  return true;
}

}  // namespace tuttiro::cli
