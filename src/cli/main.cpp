#include <cstdio>
int main() { std::fprintf(stderr, "trovamix-cli: nothing yet\n"); return 64; }
