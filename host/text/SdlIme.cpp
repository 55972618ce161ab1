// The real input method backend: SDL2's text input, which runs the
// platform's input method (IBus, Fcitx, ...) and reports its composition as
// text editing events; the window service hands those to this service. SDL
// offers no candidate list: the platform draws its own.
#include "host/text/TextBackend.h"

#include <SDL.h>

namespace host::text {
namespace {

class SdlIme : public ImeBackend {
public:
    void SetEnabled(host::window::Handle, bool enabled) override {
        // Text input is the thread's, not a window's; without SDL video
        // this only sets whether the events are delivered.
        if (enabled) SDL_StartTextInput();
        else SDL_StopTextInput();
    }
};

}  // namespace

std::unique_ptr<ImeBackend> CreateSdlImeBackend() { return std::make_unique<SdlIme>(); }

}  // namespace host::text
