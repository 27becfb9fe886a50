#include "voikit/outputs/review_output.h"

#include <fmt/format.h>

#include "voikit/io/text_output.h"
#include "voikit/io/utf8.h"

namespace voikit {

void writeReviewPage(const std::string& page, const ReviewContents& review,
                     const std::string& voiPath, const OutputRequest& request, const Log& log) {
    if (voiPath.empty()) {
        const std::string text = reviewPage(review);
        writeTextOutput(page, text);
        if (page != "-") {
            log.tell(
                fmt::format("wrote {} ({:.1f} MB)", page, static_cast<double>(text.size()) / 1e6));
        }
        return;
    }
    // Only the page: the review is about what was read, so no atlas is looked up.
    OutputRequest only;
    only.html = page;
    only.htmlPreface = reviewSection(review);
    only.htmlTitle = "What was read from " + asUtf8(review.table);
    only.anatomy = false;
    only.atlases.clear();
    only.brain = request.brain;
    only.transform = request.transform;
    only.radiological = request.radiological;
    only.invocation = request.invocation;
    makeOutputs(voiPath, only, log);
}

}  // namespace voikit
