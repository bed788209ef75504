#include "window/frmmain.h"

void frmmain::Option3_Click() {
    shared.sendAsText = 0;
}

void frmmain::Option4_Click() {
    shared.sendAsText = 1;
}
