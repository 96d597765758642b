#include "app_main.h"

int main()
{
    return appMain(nullptr);
}
