// Skin helpers arrive here.
