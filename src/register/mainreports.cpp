// The equipment reports of the main window.
#include "register/main.h"

void TFrmmain::ExpToWordExecute()
{
    // The equipment reports fill this in.
}

void TFrmmain::ExpToMailExecute()
{
    // The equipment reports fill this in.
}

void TFrmmain::ExpToExcelExecute()
{
    // The equipment reports fill this in.
}

void TFrmmain::ActPrintCardExecute()
{
    // The equipment reports fill this in.
}

void TFrmmain::ViewTechOnOtdelExecute()
{
    // The equipment reports fill this in.
}
