// GlobalControls: the control host. In the old program this was a form that was loaded and
// never shown (caption "Do Not Show."), carrying one instance each of the maker's controls;
// here it is a plain class, since nobody ever sees it and it needs no window. Loading it
// configures the controls and sets the global references in State(); unloading clears the
// references and ends the controls (the trace control writes its end-of-run block then).
#pragma once

#include <cstdint>
#include <memory>
#include <set>

#include "controls/about/QzAbout.h"
#include "controls/debug/QzDebug.h"
#include "controls/file/QzFile.h"
#include "controls/registry/QzRegistry.h"

namespace vlt {

class GlobalControls {
  public:
    static constexpr const char* kCaption = "Do Not Show.";

    // Runs Form_Load unless the host is loaded already.
    void Load();
    // Runs Form_Unload and ends the controls; nothing when it is not loaded.
    void Unload();
    bool Loaded() const { return loaded_; }

    void Form_Load();
    void Form_Unload();
    void QzRegistry1_RegistryErrorOccurred();

    // The controls exist while the host is loaded.
    std::unique_ptr<Qz_About::QzAbout> QzAbout1;
    std::unique_ptr<Qz_File::QzFile> QzFile1;
    std::unique_ptr<Qz_Registry::QzRegistry> QzRegistry1;
    std::unique_ptr<Qz_Debug::QzDebug> QzDebug1;

  private:
    bool loaded_ = false;
    // Codes whose message box was shown in this run: a broken registry fails every call, and
    // one box says it.
    std::set<std::int32_t> errorsShown_;
};

// The program's one control host, created on first use.
GlobalControls& TheGlobalControls();

}  // namespace vlt
