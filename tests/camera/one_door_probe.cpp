// A panel-level file that calls the camera SDK directly. It must not build: the one_door test
// builds it and expects the refusal.
#include "camera/sdk/quillon_api.h"
#include "panel/CtlWidget.h"

int main()
{
    return Lx2_Initialize();
}
