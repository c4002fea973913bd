#include "patching/msi_api.h"

MsiApi SystemMsiApi() {
    return MsiApi{
        MsiGetSummaryInformationW, MsiSummaryInfoGetPropertyW, MsiCloseHandle,
        MsiQueryProductStateW,     MsiGetProductInfoW,         MsiOpenProductW,
        MsiGetProductPropertyW,    MsiSetInternalUI,           MsiEnableLogW,
        MsiConfigureProductExW,
    };
}

MsiApi Msi = SystemMsiApi();

void CloseMsiHandle(MSIHANDLE handle) {
    Msi.closeHandle(handle);
}

ConfigureOutcome ClassifyConfigureResult(UINT result) {
    switch (result) {
        case ERROR_SUCCESS:
            return ConfigureOutcome::Success;
        case ERROR_SUCCESS_REBOOT_INITIATED:
            return ConfigureOutcome::RebootInitiated;
        case ERROR_SUCCESS_REBOOT_REQUIRED:
            return ConfigureOutcome::RebootRequired;
        default:
            return ConfigureOutcome::Failure;
    }
}
