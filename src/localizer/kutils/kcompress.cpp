// placeholder: filled in by the kcompress work
