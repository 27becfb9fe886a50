#include <memory>

#include "common/format_line.h"
#include "coordlist/clean_up_text.h"
#include "coordlist/text_files.h"
#include "host/host_operations.h"
#include "plugin/commands.h"
#include "plugin/dialog_parameters.h"

namespace glomera {
namespace {

using namespace host;

constexpr const char* kTextFileFilter = "Text File (*.txt)";

std::unique_ptr<char[]> newTextBuffer() {
    std::unique_ptr<char[]> text(new char[kTextCapacity]);
    text[0] = '\0';
    return text;
}

}  // namespace

void logCleanedListCut(int lines) {
    ztLogText(formatLine("Plugin>  The cleaned list does not fit the text box: only its first "
                         "%i valid lines are kept.",
                         lines)
                  .c_str());
}

bool runCleanUpText() {
    auto text = newTextBuffer();
    readStringParameter(param::kVoiText, text.get(), kTextCapacity);
    CleanUpOutcome cleaned;
    cleanUpText(text.get(), &cleaned);
    if (cleaned.cut) logCleanedListCut(cleaned.lines);
    ztLogText(formatLine("Plugin>  %i valid lines left after cleaning", cleaned.lines).c_str());
    ztSetStringParameter(param::kVoiText, text.get());
    return true;
}

bool runReadTextFile() {
    auto text = newTextBuffer();
    char path[kPathCapacity];
    ztGetOpenFileName("Select a text file to open", "", kTextFileFilter, path);
    path[kPathCapacity - 1] = '\0';
    const std::int32_t lines = readTextFile(path, text.get());
    ztLogText(formatLine("Plugin>  Read %i lines in %s", lines, path).c_str());
    ztSetStringParameter(param::kAllText, text.get());
    return true;
}

bool runSaveTextFile() {
    auto text = newTextBuffer();
    readStringParameter(param::kVoiText, text.get(), kTextCapacity);
    char path[kPathCapacity];
    ztGetSaveFileName("Select a text filename to save", "", kTextFileFilter, path);
    path[kPathCapacity - 1] = '\0';
    if (saveTextFile(path, text.get())) {
        ztLogText(formatLine("Plugin>  Saved VOI info in: %s", path).c_str());
    } else {
        ztMessageBox("Error saving file");
    }
    return true;
}

}  // namespace glomera
