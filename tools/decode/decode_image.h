// `vantrel-decode image IN OUT.pam`: decodes any image the game can read and
// writes it as an RGBA PAM file.
#pragma once

// argv[1] is "image". Returns the process exit status.
int decode_image_main(int argc, char** argv);
