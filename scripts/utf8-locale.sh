# Sourced by the scripts that start Wine. Wine maps Windows file names to the Unix locale's
# encoding; in the C locale (LANG unset, as on a minimal Debian image) a name outside ASCII
# cannot be created. Give Wine C.UTF-8, which every Debian system has, unless the environment
# already has a UTF-8 locale.
if [ "$(locale charmap 2>/dev/null)" != UTF-8 ]; then
  export LC_ALL=C.UTF-8
fi
