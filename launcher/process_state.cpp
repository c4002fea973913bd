#include "launcher/process_state.h"

HINSTANCE ModuleHandle = nullptr;
LaunchOptions Options;
std::wstring CurrentProductName;
std::vector<ProductEntry> AcceptedProducts;
