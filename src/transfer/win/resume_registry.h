#pragma once
// The user's resume records in HKCU\Software\ZTFileUpload\Resumable, one
// text value per upload begun (resume_book.h keeps them bounded and fresh).
#include <memory>

#include "transfer/resumable.h"

namespace zt::win {

std::shared_ptr<ResumeRecords> UserResumeRecords();

}  // namespace zt::win
