#pragma once

#include <locale.h>

namespace glomera {

// Switches the calling thread to the classic "C" locale for as long as the object lives, so
// that printf-style formatting writes a full stop as decimal point whatever locale the host
// process has set. Only the calling thread is affected; the previous setting comes back on
// destruction.
class ClassicLocaleScope {
  public:
    ClassicLocaleScope();
    ~ClassicLocaleScope();
    ClassicLocaleScope(const ClassicLocaleScope&) = delete;
    ClassicLocaleScope& operator=(const ClassicLocaleScope&) = delete;

  private:
    locale_t previous_;
};

}  // namespace glomera
