#include "launcher/patch_sequence.h"

#include "messages/message_box.h"
#include "messages/string_ids.h"
#include "patching/apply.h"

void ApplyPatchSequence() {
    struct Stage {
        const wchar_t* resourceName;
        bool global;
    };
    constexpr Stage kStages[] = {{L"IDR_MSP", true}, {L"IDR_MSP_LP", false}, {L"IDR_MSP_PS", false}};

    int appliedStages = 0;
    StageResult last = StageResult::Halt;
    for (const Stage& stage : kStages) {
        last = ApplyEmbeddedPackage(stage.resourceName, IDS_UPDATE_FAILED, stage.global);
        if (last == StageResult::Applied) {
            ++appliedStages;
        }
        if (last == StageResult::Halt) {
            break;
        }
    }
    // The stages reported their own failures; a halted sequence adds nothing.
    if (last == StageResult::Applied || (last == StageResult::UpToDate && appliedStages > 0)) {
        ShowMessage(IDS_UPDATE_SUCCEEDED);
    } else if (last == StageResult::UpToDate) {
        ShowMessage(IDS_ALREADY_CURRENT);
    }
}
