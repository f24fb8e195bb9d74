// Undo records of the review window. Each command appends its entries at the end of the
// action list and one record naming them (First..Last); undo takes the oldest record of a group
// out of the list again. Records are therefore ordered like their ranges, and when a range is
// taken out, the records after it move down with the entries they name: every record keeps
// naming exactly the entries its own command added, whatever is undone before it.
#include <algorithm>

#include "controls/file/QzFile.h"
#include "vlt/core/TraceScope.h"
#include "vlt/core/VltState.h"
#include "vlt/core/modVLTWorkActions.h"
#include "vlt/windows/frmDupSys.h"

using forms::Node;

void frmDupSys::AddActionIDX(const std::string& FileName, std::int32_t First, std::int32_t Last) {
    vlt::TraceScope trace("frmDupSys.AddActionIDX");
    actionIDX_.push_back({FileName, First, Last, std::move(pendingMarks_)});
    pendingMarks_.clear();
}

std::int32_t frmDupSys::FindActionFile(const std::string& FileName) const {
    vlt::TraceScope trace("frmDupSys.FindActionFile");
    const auto found =
        std::find_if(actionIDX_.begin(), actionIDX_.end(),
                     [&](const ActionIDX& record) { return record.FileName == FileName; });
    return static_cast<std::int32_t>(found - actionIDX_.begin());
}

void frmDupSys::RemoveIDX(const std::string& FileName) {
    vlt::TraceScope trace("frmDupSys.RemoveIDX");
    const std::int32_t index = FindActionFile(FileName);
    if (index >= ActionIDXCount()) {
        return;
    }
    const auto at = actionIDX_.begin() + index;
    vlt::VltState& state = vlt::State();
    const std::int32_t before = state.ActionCount;
    modVLTWork::RemoveActions(at->First, at->Last);
    // What the list really lost, not what the record asked for: the list may have refused
    // entries that were already carried out.
    const std::int32_t removed = before - state.ActionCount;
    for (auto later = at + 1; later != actionIDX_.end(); ++later) {
        later->First -= removed;
        later->Last -= removed;
    }
    actionIDX_.erase(at);
}

void frmDupSys::UndoWork(Node node) {
    vlt::TraceScope trace("frmDupSys.UndoWork");
    if (!node) {
        return;
    }
    Qz_File::QzFile& file = vlt::QzFile1();
    const std::string key = node.Key();
    const bool rowOrNote = key.find_first_of("*?") != std::string::npos;
    const Node owner = rowOrNote ? node.Parent() : node;
    if (!owner) {
        return;
    }
    const Node group = TreeView1->Find(file.GrabFilename(owner.Key()));
    if (!group) {
        return;
    }
    RemoveIDX(group.Key());
    RepaintAsBuilt(group);
    // Commands of the group that are still queued keep their pictures, so that the tree shows
    // what OK will do and each of them can be undone in turn.
    for (const ActionIDX& record : actionIDX_) {
        if (record.FileName != group.Key()) {
            continue;
        }
        for (const auto& [markedKey, picture] : record.Marks) {
            if (Node marked = TreeView1->Find(markedKey)) {
                marked.SetImage(picture);
            }
        }
    }
}
