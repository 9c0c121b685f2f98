#include <cstdio>

int main()
{
    std::fputs("videosite: not built yet\n", stderr);
    return 2;
}
