namespace tarnvale {}
