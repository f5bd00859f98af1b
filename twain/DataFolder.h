#pragma once
// The per-machine folder in which the data source keeps its settings.
#include <filesystem>

// The common application-data folder: $VQ_COMMON_APPDATA, else
// $XDG_DATA_HOME, else ~/.local/share.
std::filesystem::path CommonAppDataFolder();

// The data source's folder "Ombrecht Software" inside it, created when
// missing; empty when it cannot be created.
std::filesystem::path DataSourceFolder();
