# The launcher itself, in the root of the medium: its file name is the medium's marker.
install_program Vesk.exe Vesk.exe
