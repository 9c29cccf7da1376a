// The data stores land here.
