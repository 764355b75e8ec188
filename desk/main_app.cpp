#include <cstdio>

int main()
{
    std::puts("The desk is not built yet.");
    return 0;
}
