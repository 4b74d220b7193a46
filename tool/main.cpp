// Talvern, the control program of the hub utility library.
#include "my_talvern_app.h"

int main(int argc, char** argv) {
    talvern::CMyTalvernApp app(argc, argv);
    if (!app.InitInstance()) return app.ExitInstance(0);
    return app.ExitInstance(app.exec());
}
