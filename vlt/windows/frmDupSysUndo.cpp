// Undo records of the review window. Each command appends its entries at the end of the
// action list and one record naming them (First..Last); undo takes the oldest record of a group
// out of the list again. Records are therefore ordered like their ranges, and when a range is
// taken out, the records after it move down with the entries they name: every record keeps
// naming exactly the entries its own command added, whatever is undone before it. A node that
// leaves the tree (excluded, or its group found equal) withdraws every record that involves it
// the same way, so that nothing the tree no longer shows is carried out at OK.
#include <algorithm>

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
    if (index < ActionIDXCount()) {
        RemoveRecord(static_cast<std::size_t>(index));
    }
}

void frmDupSys::RemoveRecord(std::size_t index) {
    const auto at = actionIDX_.begin() + static_cast<std::ptrdiff_t>(index);
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

int frmDupSys::WithdrawCommands(const std::string& key) {
    vlt::TraceScope trace("frmDupSys.WithdrawCommands");
    const std::string group = GroupName(key);
    const bool wholeGroup = key == group;
    int withdrawn = 0;
    for (std::size_t i = 0; i < actionIDX_.size();) {
        const ActionIDX& record = actionIDX_[i];
        const bool involved =
            record.FileName == group &&
            (wholeGroup || std::any_of(record.Marks.begin(), record.Marks.end(),
                                       [&](const auto& mark) { return mark.first == key; }));
        if (involved) {
            RemoveRecord(i);
            ++withdrawn;
        } else {
            ++i;
        }
    }
    return withdrawn;
}

void frmDupSys::UndoWork(Node node) {
    vlt::TraceScope trace("frmDupSys.UndoWork");
    if (!node) {
        return;
    }
    const std::string key = node.Key();
    const bool rowOrNote = key.find_first_of("*?") != std::string::npos;
    const Node owner = rowOrNote ? node.Parent() : node;
    if (!owner) {
        return;
    }
    const Node group = GroupOf(owner.Key());
    if (!group) {
        return;
    }
    const std::string name = group.Key();
    const bool undone = FindActionFile(name) < ActionIDXCount();
    RemoveIDX(name);
    PaintQueued(group);
    // The status line tells what stands now, not the command that was taken back.
    const auto left =
        std::count_if(actionIDX_.begin(), actionIDX_.end(),
                      [&](const ActionIDX& record) { return record.FileName == name; });
    if (!undone) {
        SetStatus("Nothing to undo for " + name + ".");
    } else if (left == 0) {
        SetStatus("Change to " + name + " undone; no changes are queued for " + name + ".");
    } else {
        SetStatus("Oldest change to " + name + " undone; " + std::to_string(left) +
                  (left == 1 ? " change is" : " changes are") + " still queued for " + name + ".");
    }
}

void frmDupSys::PaintQueued(Node group) {
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
