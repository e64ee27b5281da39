// What each protection acts on: a frame of many pages (stack clash), an array on the stack
// (stack protector), a call _FORTIFY_SOURCE checks.
#include <cstdio>
#include <cstring>

static int fill(const char* s, int n)
{
    char big[100000];
    snprintf(big, sizeof big, "%s %d", s, n);
    return (int)strlen(big) + big[n % 100];
}

int main(int argc, char** argv) { return fill(argv[0], argc) > 0 ? 0 : 1; }
