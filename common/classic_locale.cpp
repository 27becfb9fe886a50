#include "common/classic_locale.h"

namespace glomera {
namespace {

locale_t classicLocale() {
    // Made once and kept for the life of the process; null only if memory ran out, and then
    // the thread simply keeps its locale.
    static const locale_t classic = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return classic;
}

}  // namespace

ClassicLocaleScope::ClassicLocaleScope() : previous_(static_cast<locale_t>(nullptr)) {
    if (locale_t classic = classicLocale()) previous_ = uselocale(classic);
}

ClassicLocaleScope::~ClassicLocaleScope() {
    if (previous_ != static_cast<locale_t>(nullptr)) uselocale(previous_);
}

}  // namespace glomera
