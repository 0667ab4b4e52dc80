/* A host built against installed kdlib files: prints the library's version
 * and the MD5 digest of "abc" through the exports. */
#include <stdio.h>

#include <kdlib.h>

int main(void) {
    unsigned char digest[16];
    MD5String("abc", 3, digest);
    printf("kdlib %d md5 ", (int)getVersion());
    for (int i = 0; i < 16; ++i) printf("%02x", digest[i]);
    printf("\n");
    return 0;
}
