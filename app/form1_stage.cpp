#include "app/form1_stage.h"

#include "framework/win/pump.h"

namespace app {

void Form1Stage::ShowModeless() {
    form_.ShowModeless();
}

void Form1Stage::DoEvents() {
    fw::DoEvents();
}

}  // namespace app
