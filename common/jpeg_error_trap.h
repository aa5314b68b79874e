#pragma once
// libjpeg reports an error by calling an exit function that must not return; its default
// ends the process. The trap turns that call into a jump back to `runGuarded`, which then
// answers false, and keeps every message off standard error.

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

namespace common {

struct JpegErrorTrap {
    jpeg_error_mgr manager; // first, so libjpeg's pointer to it is a pointer to this
    std::jmp_buf jump;
    // Set by a message handler that judges the data damaged without stopping libjpeg.
    bool damaged = false;

    // Makes this the error manager of a libjpeg object not yet created; `emit` sees the
    // warnings and trace messages, which are otherwise dropped.
    jpeg_error_mgr* arm(void (*emit)(j_common_ptr, int) = nullptr) {
        jpeg_std_error(&manager);
        manager.error_exit = [](j_common_ptr cinfo) { std::longjmp(of(cinfo).jump, 1); };
        manager.emit_message = emit != nullptr ? emit : [](j_common_ptr, int) {};
        manager.output_message = [](j_common_ptr) {};
        return &manager;
    }

    static JpegErrorTrap& of(j_common_ptr cinfo) {
        return *reinterpret_cast<JpegErrorTrap*>(cinfo->err);
    }
};

// Runs `step` with the error exit armed; false when libjpeg raised an error. `step` calls
// libjpeg only and keeps no object with a destructor, so the jump skips no cleanup.
template <typename Step> [[gnu::noinline]] bool runGuarded(JpegErrorTrap& trap, Step&& step) {
    if (setjmp(trap.jump) != 0) return false;
    step();
    return true;
}

} // namespace common
