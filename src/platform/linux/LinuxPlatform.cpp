// Linux implementations of the platform interfaces are added beside this file.
