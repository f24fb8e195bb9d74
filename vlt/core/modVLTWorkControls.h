// The controls of GlobalControls as the action and backup code of modVLTWork reaches them: each
// accessor raises run-time error 91 (object variable not set) when the control host is not
// loaded, so a call after the orderly close fails the way the old program's did.
#pragma once

namespace Qz_Debug {
class QzDebug;
}
namespace Qz_File {
class QzFile;
}
namespace Qz_Registry {
class QzRegistry;
}

namespace modVLTWork::detail {

Qz_File::QzFile& File();
Qz_Registry::QzRegistry& Registry();
Qz_Debug::QzDebug& Debug();

}  // namespace modVLTWork::detail
