// orv-config: the program's entry starts the configuration tool.
#include "tool/config/ConfigToolApp.h"

#include "engine/platform/app/Entry.h"

int main()
{
    return WinMain([]() -> CApplicationMain* { return new CConfigToolApp; }, GetModuleInstance());
}
