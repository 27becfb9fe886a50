#pragma once

#include <string>

#include "voikit/io/log.h"
#include "voikit/outputs/outputs.h"
#include "voikit/page/review_page.h"

namespace voikit {

// Writes the review page of an import to `page`: the review above the spheres of `voiPath`
// drawn over the template as the view page draws a .voi file (with the brain, transform and
// convention of `request`), or the review alone when no .voi file was made (`voiPath`
// empty). Throws Error as makeOutputs does.
void writeReviewPage(const std::string& page, const ReviewContents& review,
                     const std::string& voiPath, const OutputRequest& request, const Log& log);

}  // namespace voikit
