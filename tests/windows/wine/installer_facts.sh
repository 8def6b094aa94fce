# What the installer and eek agree on, as eek reports it (eek installer
# --facts), for scripts that look for the installer's folders in a Wine
# prefix. Sourced with the eek to ask and the prefix's drive C: folder:
#   source installer_facts.sh EEK DRIVE_C
# Sets:
#   install_windows  the installation folder, "C:\...\..."
#   base_windows     its base folder
#   install, base    the same folders under DRIVE_C
#   path_limit       UTF-16 units of the longest path the installer writes
installer_facts=$("$1" installer --facts) || {
  echo "installer_facts.sh: $1 installer --facts failed" >&2
  exit 1
}
install_windows=$(sed -n 's/^install_folder=//p' <<<"$installer_facts")
path_limit=$(sed -n 's/^path_limit=//p' <<<"$installer_facts")
base_windows=${install_windows%\\*}
install_relative=${install_windows#C:\\}
install="$2/${install_relative//\\//}"
base=${install%/*}
