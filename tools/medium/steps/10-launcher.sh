# The launcher itself, in the root of the medium: its file name is the medium's marker.
install_file "$WIN/Vesk.exe" "$MEDIUM/Vesk.exe"
