#!/bin/sh
# Sets up Tarnvale's machine-wide data folder (given as the only argument) for
# every user of the machine. Run by the install step and by the package's
# maintainer script, as root; running it again changes nothing.
#
#   <folder>/                 0755  the administrator's: default.bmp, Help/
#   <folder>/Skins/           1777  users add skins; the sticky bit keeps each
#                                   one's skins, and the installed ones, from
#                                   the others
#   <folder>/Settings/        0777  the settings file alone: a save replaces it
#                                   by renaming a new file over it, which every
#                                   user may do here (no sticky bit)
#   <folder>/Tarnvale.ini  -> Settings/Tarnvale.ini, the path the program uses
set -eu
folder=$1
settings="$folder/Settings"

mkdir -p "$folder" "$folder/Skins" "$settings"
chmod 0755 "$folder"
[ ! -d "$folder/Help" ] || chmod -R u=rwX,go=rX "$folder/Help"
[ ! -f "$folder/default.bmp" ] || chmod 0644 "$folder/default.bmp"
chmod 1777 "$folder/Skins"
chmod 0777 "$settings"

# A settings file of an older install lies in the folder itself: it moves
# into the settings folder, readable by all, unless that already has one.
ini="$folder/Tarnvale.ini"
if [ -f "$ini" ] && [ ! -L "$ini" ]; then
  if [ -e "$settings/Tarnvale.ini" ] || [ -L "$settings/Tarnvale.ini" ]; then
    mv "$ini" "$settings/Tarnvale.ini.old"
  else
    mv "$ini" "$settings/Tarnvale.ini"
    chmod a+r "$settings/Tarnvale.ini"
  fi
fi
# Older installs also left their temporary files (six random characters).
for stale in "$folder"/Tarnvale.ini.??????; do
  [ ! -f "$stale" ] || [ -L "$stale" ] || rm -f "$stale"
done
[ -L "$ini" ] || ln -s Settings/Tarnvale.ini "$ini"
