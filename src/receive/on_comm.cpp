#include "window/frmmain.h"

void frmmain::Option1_Click() {
    shared.showAsText = 0;
}

void frmmain::Option2_Click() {
    shared.showAsText = 1;
}
