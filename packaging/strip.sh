#!/bin/sh
# The strip of the package build (CMAKE_STRIP): what dh_strip does, the
# symbols not needed for linking and the compiler's .comment and .note
# sections removed.
exec strip --remove-section=.comment --remove-section=.note --strip-unneeded "$@"
