/* A program that imports GetTickCount64, which Windows XP lacks: the import check must refuse it. */
#include <windows.h>

int main(void)
{
    return GetTickCount64() == 0;
}
