// The About and licence commands that the main and the review window share.
#pragma once

namespace vltwindows {

// The About box and the licence agreement of the program's About control. One that cannot be
// shown (its PAD file unreadable) is explained instead of ending the program, so nothing the
// user has queued is lost.
void ShowAboutBox();
void ShowLicenceAgreement();

}  // namespace vltwindows
