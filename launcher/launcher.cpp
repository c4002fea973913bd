#include "launcher/launcher.h"

#include <string>

#include "diagnostics/report.h"
#include "launcher/patch_sequence.h"
#include "launcher/process_state.h"
#include "messages/string_ids.h"
#include "package/extraction.h"

namespace {

void ExtractAll() {
    // Each package is named after the path as given: the first call's rewrite of its path must
    // reach neither of the others.
    std::wstring languagePackPath = Options.extractPath;
    std::wstring productPath = Options.extractPath;
    ExtractPackage(Options.extractPath, L"IDR_MSP", IDS_SUFFIX_GLOBAL);
    ExtractPackage(languagePackPath, L"IDR_MSP_LP", IDS_SUFFIX_LANGPACK);
    ExtractPackage(productPath, L"IDR_MSP_PS", IDS_SUFFIX_PRODUCT);
}

}  // namespace

int RunLauncher(HINSTANCE instance) {
    ModuleHandle = instance;
    ParseCommandLine();
    if (Options.apply) {
        ApplyPatchSequence();
    } else {
        if (Options.extract) {
            ExtractAll();
        }
        if (Options.report) {
            ShowPackageInfo();
        }
    }
    AcceptedProducts.clear();
    return 0;
}
